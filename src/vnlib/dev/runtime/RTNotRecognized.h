#pragma once
// The answer of an abstract descriptor (RTProperty, RTIvar, RTMethod, RTProtocol) to a query only
// its concrete kinds answer: the platform's failure for an unrecognised message.
#include "platform/core/Object.h"

[[noreturn]] void rt_notRecognized(const plat::Object& object, const char* selector);
