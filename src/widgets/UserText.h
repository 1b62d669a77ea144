#pragma once

#include "model/FilterText.h"
#include "model/Measurement.h"

#include <QString>

#include <optional>
#include <string>
#include <vector>

class QWidget;

namespace orvex {

class IEqSectionHost;

// Reads a text file a user picked: at most 4 MiB, UTF-8 or (by its byte-order mark) UTF-16/32, given
// back as UTF-8. When it cannot be read `error` says why, in the interface's language.
std::optional<std::string> ReadUserTextFile(const QString& path, QString& error);

// ReadUserTextFile, with a box titled `caption` through `host` saying why the file was not read.
std::optional<std::string> ReadUserText(IEqSectionHost& host, QWidget* parent, const QString& path,
                                        const QString& caption);

// A measured or target response from a file (asked for through `host` when `path` is empty),
// normalised to 0 dB on average between 200 Hz and 2 kHz; its file name in `name`. nullopt when the
// user cancels or the file is bad; a bad file's lines are listed in a box after `notLoaded`.
std::optional<Measurement> ReadResponseFile(IEqSectionHost& host, QWidget* parent, const QString& path,
                                            const QString& caption, const QString& notLoaded, QString& name);

// A reader's reason for refusing a line, in the interface's language.
QString TextErrorReason(const std::string& message);

// The errors of a filter or measurement text as a message box lists them: one line each, at most
// `limit`, then how many more there are.
QString ListTextErrors(const std::vector<FilterTextError>& errors, int limit = 12);

} // namespace orvex
