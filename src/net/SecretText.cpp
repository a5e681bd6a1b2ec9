#include "net/SecretText.h"

namespace veltrano {

QString secretPreview(const QString &secret)
{
    if (secret.isEmpty())
        return {};
    // A character beyond the BMP is two UTF-16 units: never cut it in half.
    qsizetype cut = 0;
    for (int characters = 0; characters < 4 && cut < secret.size(); ++characters)
        cut += (secret.at(cut).isHighSurrogate() && cut + 1 < secret.size()) ? 2 : 1;
    return secret.left(cut) + QStringLiteral("...");
}

} // namespace veltrano
