#pragma once
// The reader hand-over lives in the services room (app/services/ReaderHandOver.h); this name
// stays for the reader's sources until they include it from there.
#include "app/services/ReaderHandOver.h"
