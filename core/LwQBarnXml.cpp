#include "core/LwQBarnXml.h"

LwQBarnXml::LwQBarnXml(const QString& mode) : LwBarnXml(mode.toUtf8().toStdString()) {}

LwQBarnXml::~LwQBarnXml() = default;
