#include "morvellcanopen.h"
