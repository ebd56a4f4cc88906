// Text and code-page utilities: free functions over NUL-terminated byte strings.
//
// On Linux the ANSI code page and the file-API code page are UTF-8, and wide texts are
// UTF-16 in char16_t. Conversions replace invalid input with U+FFFD.
//
// Results: 0 for success and -1 for failure unless stated. The forms without a size
// trust the caller to provide room for the whole result and its terminator; each has an
// overload that takes the size of the out buffer (in its own units) and fails, writing
// an empty text, when the result does not fit.
#pragma once

#include <cstddef>
#include <cstdint>

// Code-page conversions. Each returns the units written, terminator included, or 0.
int Utf8ToUtf16Buf(const char* text, char16_t* out);
int Utf8ToUtf16Buf(const char* text, char16_t* out, size_t outSize);
int Utf16ToUtf8(const char16_t* wide, char* out);
int Utf16ToUtf8(const char16_t* wide, char* out, size_t outSize);
int Utf16ToAnsi(const char16_t* wide, char* out);
int Utf16ToAnsi(const char16_t* wide, char* out, size_t outSize);
int AnsiToUtf16(const char* text, char16_t* out);
int AnsiToUtf16(const char* text, char16_t* out, size_t outSize);
int Utf8ToAnsi(const char* text, char* out);
int Utf8ToAnsi(const char* text, char* out, size_t outSize);
int AnsiToUtf8(const char* text, char* out);
int AnsiToUtf8(const char* text, char* out, size_t outSize);
int FileApiToUtf8(const char* text, char* out);
int FileApiToUtf8(const char* text, char* out, size_t outSize);
int AnsiToUtf8InPlace(char* buffer);
int AnsiToUtf8InPlace(char* buffer, size_t bufferSize);
int Utf8ToAnsiInPlace(char* buffer);
int Utf8ToAnsiInPlace(char* buffer, size_t bufferSize);

// UTF-8. Utf8ToCodePoints returns the number of code points written (an empty text
// gives one, 0); the sized form returns -1 when the array is too small.
int Utf8ToCodePoints(const char* text, int* out);
int Utf8ToCodePoints(const char* text, int* out, size_t outCount);
int Utf8CheckAndCount(const char* text, int* count);
// Copies text into a fixed array of size bytes (size > 0), cut before a character that
// would cross its end, and terminated. Returns the number of bytes copied.
size_t Utf8CopyBounded(char* out, size_t size, const char* text);

// Paths. MakeDirPath creates each missing level of the path ('/' or '\' separate
// levels); it fails for a path of 255 bytes or more and when a level exists but is not
// a directory. FileNameFromPath copies the text after the last separator.
int MakeDirPath(const char* path, unsigned mode = 0700);
// Makes a folder of this process's user private (0700) when it lets others in: each level
// of the path is opened without following a link (".." is refused), and the folder is
// changed only when it is that user's. 0 when the folder is private now, -1 when it is
// missing, a link or below one, not a folder, another's, or cannot be changed.
int MakeFolderPrivate(const char* path);
int FileNameFromPath(const char* path, char* out);
int FileNameFromPath(const char* path, char* out, size_t outSize);

// Strings.
int StrIsSet(const char* text);
int StrToInt(const char* text);
int StrToUpper(char* text);
int StrToLower(char* text);
int StrCopyUpper(const char* text, char* out);
int StrCopyUpper(const char* text, char* out, size_t outSize);
int StrCopyLower(const char* text, char* out);
int StrCopyLower(const char* text, char* out, size_t outSize);
int StrScanToken(const char* text, char* word);
int StrScanToken(const char* text, char* word, size_t wordSize);
int StrNextToken(const char** cursor, char* word);
int StrNextToken(const char** cursor, char* word, size_t wordSize);
int StrReplaceAll(const char* text, char* out, const char* search, const char* replacement);
int StrReplaceAll(const char* text, char* out, size_t outSize, const char* search, const char* replacement);
int HexPairToByte(char high, char low);
int UrlEncode(const char* text, char* out);
int UrlEncode(const char* text, char* out, size_t outSize);
int UrlDecode(const char* text, char* out);
int UrlDecode(const char* text, char* out, size_t outSize);
int HasClosedBrace(const char* text, int length);
int StrIsDigits(const char* text);
int64_t SizeTextToBytes(const char* text);
int BytesToSizeText(int64_t bytes, char* out);
int BytesToSizeText(int64_t bytes, char* out, size_t outSize);
const void* MemFind(const void* haystack, unsigned haystackLength, const void* needle, unsigned needleLength);
int StrInsertSeparator(const char* text, char separator, unsigned groupSize, char* out, unsigned outSize);
int CompareDottedVersion(const char* a, const char* b);
