#include "WordList.h"
