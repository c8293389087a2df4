#pragma once

#include <QString>

/// The program's numbered strings (the list column titles 5001 to 5037).
/// An unknown number gives an empty string.
QString LoadResString(int id);
