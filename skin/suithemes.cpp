#include "suithemes.h"
