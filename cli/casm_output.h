#pragma once
// What `casm` prints: the chunks after the track of a style, with the CASM content by field.

#include <string>

#include <nlohmann/json.hpp>

#include "casm/casm_reader.h"

namespace zephrane::cli {

// `file` is the path as given on the command line.
nlohmann::ordered_json CasmJson(const std::string& file, const CasmListing& listing);
std::string CasmText(const std::string& file, const CasmListing& listing);

// Reads STYLE and prints its listing; 0 when it is sound, 1 when it has problems or cannot be
// read (the program's message for the file error then goes to standard error).
int RunCasm(const std::string& file, bool asJson);

}  // namespace zephrane::cli
