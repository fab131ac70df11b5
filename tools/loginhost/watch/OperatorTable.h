// The brand names of SIMs whose name the modem service does not give (it decodes the SIM's name
// from GSM 7-bit only), by the SIM's operator identifier (MCC and MNC, five or six digits); the
// profile's operators.ini, or a file given to watch with --operators:
//
//   [operators]
//   46000=中国移动
//   46001=中国联通
#pragma once

#include <map>
#include <string>

using OperatorTable = std::map<std::string, std::string>;  // MCC+MNC -> name (UTF-8)

// Reads the table from the file at path; false with error "PATH:LINE: why".
bool LoadOperatorTable(const std::string& path, OperatorTable& table, std::string& error);
