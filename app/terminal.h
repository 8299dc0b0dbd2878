// What the runner writes to standard output and error is escaped where it is written: names read
// from users' files (texture paths, archive entries, link targets, material and object names)
// reach these writers as they are, and their control characters cannot act on the terminal.
#pragma once

#include <ostream>
#include <string>

#include "text/printable.h"

/// Writes `text`, whose line breaks are meant (a message's list), as lines: `head` and its first
/// line, each further line indented by two spaces, `tail` after the last one; every line written
/// by `text::WriteLine`, so that no line of it starts at the left edge.
void WriteLines(std::ostream& to, const std::string& head, const std::string& text, const std::string& tail);

/// Writes the runner's line on standard error: "corvane-host: " and `message`, by `text::WriteLine`.
void WriteError(const std::string& message);
