#pragma once
#include <cstdint>
#include <string>

// "(Audio Stream %d)" for ids 0xC0..0xDF, "(Video Stream %d)" for 0xE0..0xEF, else empty.
void AppendStreamLabel(uint32_t streamId, std::string& out);
std::string StreamLabel(uint32_t streamId);
