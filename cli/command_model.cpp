#include "command_model.h"
