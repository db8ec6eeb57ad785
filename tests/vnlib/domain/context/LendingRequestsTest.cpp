#include "ContextTestSupport.h"
