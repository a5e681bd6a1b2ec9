#pragma once

#include <QString>

namespace veltrano {

// Marker extraction: the text between a start marker and the first end
// marker after it. Positions count characters from 1.
//
// General form. position (in/out) is where the search for the start marker
// begins (values <= 0 mean 1); limit (in/out) caps the end position when
// above 0. An empty start marker starts at position; an empty end marker
// runs to the end of the source. With caseInsensitive the markers are found
// with ASCII letters a-z folded to upper case; the result keeps the source's
// letters. On success position becomes the start marker's position and limit
// the position just after the end marker; when either marker is missing the
// result is empty and both are left unchanged. Never fails.
QString parseString(const QString &source, const QString &startMarker, const QString &endMarker,
                    qsizetype &position, qsizetype &limit, bool caseInsensitive = false);

// Plain form: first start marker from the beginning, no limit.
QString parseString(const QString &source, const QString &startMarker, const QString &endMarker,
                    bool caseInsensitive = false);

} // namespace veltrano
