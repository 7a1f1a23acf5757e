#include "CliArgs.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "ApplyToMany.h"
#include "CropRules.h"

namespace {

const TOptionSpec* FindSpec(const std::vector<TOptionSpec>& specs, const QString& name) {
  for (const TOptionSpec& optionSpec : specs) {
    if (optionSpec.Name == name ||
        (!optionSpec.ShortName.isEmpty() && optionSpec.ShortName == name))
      return &optionSpec;
  }
  return nullptr;
}

QString Choices(const QStringList& words) { return words.join(QStringLiteral(", ")); }

// The index of `text` among `words` (exact, lower case as the help shows them), or a usage error
// naming the choices.
int32_t Choose(const QString& option, const QString& text, const QStringList& words) {
  const qsizetype index = words.indexOf(text.trimmed().toLower());
  if (index < 0) {
    throw TUsageError(
        QStringLiteral("%1: \"%2\" is not one of %3").arg(option, text, Choices(words)));
  }
  return static_cast<int32_t>(index);
}

// One edge of the crop: valid exactly when the editor's handle clamp leaves it where it is.
void CheckEdge(THandleEdge edge, int32_t value, int32_t opposite, const QString& what) {
  if (ClampHandle(edge, value, opposite) == value) return;
  throw TUsageError(QStringLiteral("--crop: %1").arg(what));
}

}  // namespace

QString TParsedArgs::Value(const QString& name) const {
  const auto found = Values.find(name);
  return found == Values.end() ? QString() : found->second;
}

TParsedArgs SplitArguments(const QStringList& args, const std::vector<TOptionSpec>& specs) {
  TParsedArgs parsed;
  bool optionsEnded = false;
  for (qsizetype i = 0; i < args.size(); ++i) {
    const QString& arg = args[i];
    if (optionsEnded || arg == QLatin1String("-") || !arg.startsWith(u'-')) {
      parsed.Positional << arg;
      continue;
    }
    if (arg == QLatin1String("--")) {
      optionsEnded = true;
      continue;
    }
    if (arg == QLatin1String("--help") || arg == QLatin1String("-h")) {
      parsed.Help = true;
      continue;
    }
    QString name = arg;
    std::optional<QString> inlineValue;
    const qsizetype eq = arg.indexOf(u'=');
    if (arg.startsWith(QLatin1String("--")) && eq > 2) {
      name = arg.left(eq);
      inlineValue = arg.mid(eq + 1);
    }
    const TOptionSpec* optionSpec = FindSpec(specs, name);
    if (optionSpec == nullptr) {
      // A negative number where a positional argument is expected is not an option either, but
      // no subcommand takes one; say what was not understood.
      throw TUsageError(QStringLiteral("unknown option %1").arg(name));
    }
    if (parsed.Has(optionSpec->Name)) {
      throw TUsageError(QStringLiteral("%1 is given more than once").arg(optionSpec->Name));
    }
    QString value;
    if (optionSpec->TakesValue) {
      if (inlineValue) {
        value = *inlineValue;
      } else {
        if (i + 1 >= args.size()) throw TUsageError(QStringLiteral("%1 needs a value").arg(name));
        value = args[++i];
      }
    } else if (inlineValue) {
      throw TUsageError(QStringLiteral("%1 takes no value").arg(optionSpec->Name));
    }
    parsed.Values[optionSpec->Name] = value;
  }
  return parsed;
}

int32_t ParseIntInRange(const QString& option, const QString& text, int32_t lo, int32_t hi) {
  bool ok = false;
  const QString trimmed = text.trimmed();
  // Plain decimal only: toLongLong would also take "0x10", which no user means here.
  const bool plain =
      !trimmed.isEmpty() &&
      std::all_of(trimmed.begin() + ((trimmed[0] == u'-' || trimmed[0] == u'+') ? 1 : 0),
                  trimmed.end(), [](QChar c) { return c >= u'0' && c <= u'9'; });
  const qlonglong value = plain ? trimmed.toLongLong(&ok) : 0;
  if (!plain || !ok) {
    throw TUsageError(QStringLiteral("%1: \"%2\" is not a whole number").arg(option, text));
  }
  if (value < lo || value > hi) {
    throw TUsageError(
        QStringLiteral("%1: %2 is out of range (%3 to %4)").arg(option).arg(value).arg(lo).arg(hi));
  }
  return static_cast<int32_t>(value);
}

int32_t ParseOrder(const QString& text) {
  return Choose(QStringLiteral("--order"), text,
                {QStringLiteral("rows"), QStringLiteral("columns")});
}

int32_t ParseImageType(const QString& text) {
  return Choose(QStringLiteral("--type"), text,
                {QStringLiteral("colored"), QStringLiteral("grayscale")});
}

int32_t ParseRotation(const QString& text) {
  return Choose(QStringLiteral("--rotate"), text,
                {QStringLiteral("no"), QStringLiteral("90cw"), QStringLiteral("90ccw"),
                 QStringLiteral("180")});
}

TPhotoSelection ParsePhotoSelection(const QString& text) {
  TPhotoSelection selection;
  const QString word = text.trimmed().toLower();
  if (word == QLatin1String("all")) return selection;
  if (word == QLatin1String("odd")) {
    selection.What = TPhotoSelection::Kind::Odd;
    return selection;
  }
  if (word == QLatin1String("even")) {
    selection.What = TPhotoSelection::Kind::Even;
    return selection;
  }
  selection.What = TPhotoSelection::Kind::List;
  for (const QString& part : word.split(u',')) {
    if (part.trimmed().isEmpty()) {
      throw TUsageError(
          QStringLiteral("--photos: \"%1\" is not all, odd, even or a list of photo numbers")
              .arg(text));
    }
    const int32_t n =
        ParseIntInRange(QStringLiteral("--photos"), part, 1, std::numeric_limits<int32_t>::max());
    if (std::find(selection.Positions.begin(), selection.Positions.end(), n) ==
        selection.Positions.end()) {
      selection.Positions.push_back(n);
    }
  }
  return selection;
}

std::vector<int32_t> SelectedIndexes(const TPhotoSelection& selection, int32_t count) {
  std::vector<int32_t> indexes;
  if (selection.What == TPhotoSelection::Kind::List) {
    for (int32_t n : selection.Positions) {
      if (n > count) {
        throw TUsageError(QStringLiteral("--photos: there is no photo %1, the document has %2")
                              .arg(n)
                              .arg(count));
      }
      indexes.push_back(n - 1);
    }
    std::sort(indexes.begin(), indexes.end());
    return indexes;
  }
  const TApplyScope scope = selection.What == TPhotoSelection::Kind::Odd    ? TApplyScope::Odd
                            : selection.What == TPhotoSelection::Kind::Even ? TApplyScope::Even
                                                                            : TApplyScope::All;
  for (int32_t p = 1; p <= count; ++p) {
    if (InApplyScope(scope, p)) indexes.push_back(p - 1);
  }
  return indexes;
}

TCropEdges ParseCrop(const QString& text) {
  const QStringList parts = text.split(u',');
  if (parts.size() != 4) {
    throw TUsageError(
        QStringLiteral("--crop: \"%1\" is not four numbers LEFT,RIGHT,TOP,BOTTOM").arg(text));
  }
  const QString option = QStringLiteral("--crop");
  const int32_t big = 100000;
  TCropEdges c;
  c.Left = ParseIntInRange(option, parts[0], -big, big);
  c.Right = ParseIntInRange(option, parts[1], -big, big);
  c.Top = ParseIntInRange(option, parts[2], -big, big);
  c.Bottom = ParseIntInRange(option, parts[3], -big, big);
  // The frame limits first, then the gap, in the order the handles apply them.
  if (c.Left < kHandleLowLimit || c.Top < kHandleLowLimit || c.Right > kHandleRightLimit ||
      c.Bottom > kHandleBottomLimit) {
    throw TUsageError(QStringLiteral("--crop: the edges must lie within left and top from %1, "
                                     "right up to %2 and bottom up to %3")
                          .arg(kHandleLowLimit)
                          .arg(kHandleRightLimit)
                          .arg(kHandleBottomLimit));
  }
  const QString apart = QStringLiteral("the %1 and %2 edges must be at least %3 units apart");
  CheckEdge(THandleEdge::Left, c.Left, c.Right,
            apart.arg(QStringLiteral("left"), QStringLiteral("right")).arg(kHandleGap));
  CheckEdge(THandleEdge::Right, c.Right, c.Left,
            apart.arg(QStringLiteral("left"), QStringLiteral("right")).arg(kHandleGap));
  CheckEdge(THandleEdge::Top, c.Top, c.Bottom,
            apart.arg(QStringLiteral("top"), QStringLiteral("bottom")).arg(kHandleGap));
  CheckEdge(THandleEdge::Bottom, c.Bottom, c.Top,
            apart.arg(QStringLiteral("top"), QStringLiteral("bottom")).arg(kHandleGap));
  return c;
}

TStraightenChoice ParseStraighten(const QString& text) {
  TStraightenChoice choice;
  const QString word = text.trimmed().toLower();
  if (word == QLatin1String("auto")) return choice;
  if (word == QLatin1String("off")) {
    choice.What = TStraightenChoice::Kind::Off;
    return choice;
  }
  const QStringList parts = word.split(u',');
  const auto refuse = [&] {
    return TUsageError(QStringLiteral("--straighten: \"%1\" is not auto, off or eight numbers "
                                      "X1,Y1,X2,Y2,X3,Y3,X4,Y4 (top-left, top-right, "
                                      "bottom-right, bottom-left)")
                           .arg(text));
  };
  if (parts.size() != 8) throw refuse();
  choice.What = TStraightenChoice::Kind::Corners;
  for (int i = 0; i < 8; ++i) {
    bool ok = false;
    const double v = parts[i].trimmed().toDouble(&ok);
    if (!ok || !std::isfinite(v)) throw refuse();
    TPagePoint& corner = choice.Corners.Corners[size_t(i / 2)];
    (i % 2 == 0 ? corner.X : corner.Y) = v;
  }
  return choice;
}

TSheetRange ParseSheetRange(const QString& text) {
  const QString option = QStringLiteral("--pages");
  const int32_t most = std::numeric_limits<int32_t>::max();
  TSheetRange range;
  const QStringList parts = text.split(u'-');
  if (parts.size() == 1) {
    range.First = range.Last = ParseIntInRange(option, parts[0], 1, most);
  } else if (parts.size() == 2) {
    range.First = ParseIntInRange(option, parts[0], 1, most);
    range.Last = ParseIntInRange(option, parts[1], 1, most);
  } else {
    throw TUsageError(QStringLiteral("--pages: \"%1\" is not a range like 2-4").arg(text));
  }
  if (range.Last < range.First) {
    throw TUsageError(QStringLiteral("--pages: %1 ends before it starts").arg(text));
  }
  return range;
}

void CheckSheetRange(const TSheetRange& range, int32_t sheetCount) {
  if (range.Last > sheetCount) {
    throw TUsageError(QStringLiteral("--pages: the document has %1 sheet%2")
                          .arg(sheetCount)
                          .arg(sheetCount == 1 ? QString() : QStringLiteral("s")));
  }
}

int32_t ParseExportFormat(const QString& text) {
  return Choose(QStringLiteral("--format"), text, {QStringLiteral("jpg"), QStringLiteral("png")});
}
