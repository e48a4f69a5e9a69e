// The texts of a loaded layout shown in the user's language: every text the layout holds is the
// English key of the pane's strings table.
#pragma once

#include <QString>
#include <functional>

class QObject;

namespace quillon {

using Localize = std::function<QString(const QString& english)>;

// Replaces every text under root (root included) with its localization: titles, labels, items,
// placeholders, tool tips, accessible names and descriptions, tab titles, spin box affixes.
void localizeTree(QObject* root, const Localize& localize);

}  // namespace quillon
