#pragma once
// The error type lives with the storage layer; this name stays for existing includes.
#include "db/Errors.h"
