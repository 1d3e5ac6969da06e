// Forwards to the shared test files until this folder's tests include support/TestFiles.h.
#pragma once
#include "../support/TestFiles.h"
