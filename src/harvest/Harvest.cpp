#include "Harvest.h"
