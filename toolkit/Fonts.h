#pragma once

#include <QFont>
#include <QString>

namespace toolkit {

// The program's font families, tried in turn: Arial on Windows, its metric
// twin Liberation Sans or DejaVu Sans (wider) on Linux. All three have
// Cyrillic and are TrueType, which the PDF writer embeds; a window that
// takes the system's dialog font instead may get one without Cyrillic
// (under Wine, a serif fallback or empty fields).
inline QFont WithProgramFamilies(QFont f) {
    f.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
    return f;
}

}  // namespace toolkit
