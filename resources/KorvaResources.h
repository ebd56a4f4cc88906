#pragma once

class QString;

// The resource bundle registers itself when its objects are linked into a program.
// A program that gets it through a static library calls korvaInitResources() once,
// before the first resource is opened, so that the linker keeps the bundle.
void korvaInitResources();

// Adds a font face of the bundle (":/...") to the application's font database, as
// QFontDatabase::addApplicationFont does, without copying it where the bundle holds it
// uncompressed. Returns the font's id, or -1.
int korvaAddResourceFont(const QString& resource);

// Adds the four faces of the brand font to the application's font database.
// Needs a QGuiApplication. Returns the number of faces added (4 when all loaded).
int korvaLoadBrandFonts();
