// The information lines a modem gives for the card's commands, in the forms modems really use:
// "+CPIN: READY", "+CPIN:READY" and "+CPIN: \"READY\""; a bare IMSI or one tagged "+CIMI: ";
// "+CRSM: 144,0,\"...\"" with the data quoted or not; and the names of device errors that a modem
// in verbose error mode gives instead of their numbers. Pure functions of text.
#pragma once

#include <string>

// The SIM's state from a +CPIN line ("READY", "SIM PIN", ...; upper case, unquoted); false when
// the line is not one.
bool ParseCpin(const std::string& line, std::string& state);

// The IMSI a line holds (bare or tagged); false when it holds none.
bool ParseImsi(const std::string& line, std::string& imsi);

// Status words and data of a +CRSM line; false when the line is not one.
bool ParseCrsm(const std::string& line, int& sw1, int& sw2, std::string& data);
// True for the status words of a SIM that carried out the command (0x90, 0x91, 0x92, 0x9F).
bool CrsmSucceeded(int sw1);

// The number of a device error named in words ("SIM busy" is 14), ignoring case; -1 for a name
// that is not known.
int CmeNumberOfText(const std::string& text);
