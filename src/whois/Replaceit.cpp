#include "Replaceit.h"
