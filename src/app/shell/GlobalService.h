#pragma once
// The global service lives in the services room (app/services/GlobalService.h); this name stays
// for the reader's and the page widgets' sources until they include it from there.
#include "app/services/GlobalService.h"
