#include "Prefs.h"

TPrefs Prefs;
