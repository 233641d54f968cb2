// Text inside XML documents: the certificates and the plots write their names through
// these, so that both escape alike.
#pragma once

#include <string>
#include <string_view>

namespace velkin {

// True when `text` is valid UTF-8 and holds no character that XML 1.0 forbids (control
// characters other than tab, line feed and carriage return; U+FFFE, U+FFFF; surrogates),
// so that XmlEscape(text) is the same text in a well-formed document.
bool XmlCanHold(std::string_view text);

// `text` with &, <, >, " and ' escaped, usable in element text and in attributes. A
// character that XmlCanHold refuses becomes '?' (each byte of it): callers for whom two
// names must stay apart check XmlCanHold first.
std::string XmlEscape(std::string_view text);

}  // namespace velkin
