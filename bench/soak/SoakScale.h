// The soak plug-in's time scale: how many simulated seconds pass in one real second. Read once
// from LOGIN_SOAK_CLOCK_SCALE (a number of 1 or more; 1 when unset or not understood).
#pragma once

double SoakClockScale();
