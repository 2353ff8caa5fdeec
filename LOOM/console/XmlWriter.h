#pragma once
#include <ostream>
#include <string>

// Line-per-tag XML writing shared by the run-time log and the documentation export.
// Every value and attribute is escaped so the output is always well-formed: markup characters
// as entities, control characters other than tab and newline as "\xNN", and bytes that are not
// UTF-8 (or characters XML refuses) as U+FFFD.
std::string XmlEscape(const std::string& text);
void WriteXmlOpenTag(std::ostream& out, const std::string& name);
void WriteXmlOpenTagWithAttribute(std::ostream& out, const std::string& name, const std::string& attribute,
                                  const std::string& value);
void WriteXmlCloseTag(std::ostream& out, const std::string& name);
void WriteXmlElement(std::ostream& out, const std::string& name, const std::string& value);
