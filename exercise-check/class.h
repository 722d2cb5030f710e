// A class at once: its hand-ins, the archives they come in, and how far the check is.
#pragma once

#include "archives.h"
#include "handins.h"
#include "progress.h"
