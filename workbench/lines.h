#pragma once
// Cutting text into list items, as the Receive and Send logs show it.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <QStringView>

namespace Workbench {

// Splits text at each CR LF pair, lone CR and lone LF. A break at the very end adds no
// empty item; LF followed by CR is two breaks with an empty item between; empty text gives
// no items.
QStringList SplitLines(QStringView text);

// The Receive log items for a framed block: the bytes up to the first NUL, decoded as
// UTF-8 (each invalid sequence shown as U+FFFD), then split by SplitLines.
QStringList SplitReceivedLines(const QByteArray& bytes);

} // namespace Workbench
