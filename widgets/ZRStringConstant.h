// The translation context of the program's text keys. Code writes a key such as
// "ZRVPN_CONNECTING" and looks it up with ZRStringConstant::tr each time it sets the
// text; the installed translator gives the language's text, or the key itself.
#pragma once

#include <QObject>

class ZRStringConstant : public QObject {
    Q_OBJECT
public:
    ZRStringConstant() = delete;
};
