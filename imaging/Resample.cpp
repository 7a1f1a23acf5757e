#include "FastDIB.h"
