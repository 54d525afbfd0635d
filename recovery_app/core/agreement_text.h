// The end-user agreement shown once per user: an English text and its
// Traditional Chinese translation. The Chinese text is kept in the Big5 code
// page (Windows code page 950) and must be converted from that code page,
// whatever the system's own one is.
#pragma once

#include <string>

namespace salvora {

// The code page of the Chinese text.
constexpr unsigned kAgreementChineseCodePage = 950;

// The English text (plain ASCII, lines separated by "\n").
const std::string& agreementEnglish();
// The Traditional Chinese text in Big5 (lines separated by "\n").
const std::string& agreementChineseBig5();

// Both texts joined as "%s\n\n\n%s". Since the English part is ASCII, which
// Big5 keeps as it is, the whole text converts with code page 950.
std::string agreementText();

}  // namespace salvora
