#pragma once
// A Barn document whose mode is given as a Qt string: the Qt-side base of
// LwQBarnFile.

#include "core/LwBarnXml.h"

#include <QString>

class LwQBarnXml : public LwBarnXml
{
public:
    // "r" or "w", taken as UTF-8; any other text throws LwError "IlligalMode".
    explicit LwQBarnXml(const QString& mode);
    ~LwQBarnXml() override;
};
