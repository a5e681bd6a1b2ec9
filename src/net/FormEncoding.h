#pragma once

#include <QString>

namespace veltrano {

// A text URL-encoded as a form value: the letters A-Z and a-z, the digits
// and ! $ ' ( ) * - . @ _ stay as they are, a blank becomes "+", every other
// character the bytes of its UTF-8 form as "%" and two upper-case hex
// digits. So "https://example.com/" becomes "https%3A%2F%2Fexample.com%2F"
// and "купить диван" "%D0%BA...%D1%82%D1%8C+%D0%B4...".
//
// The Search Console property id in a request path and the query sent to
// the trends service are written this way.
QString formEncoded(const QString &text);

} // namespace veltrano
