// The crash-dump writer and the top-level crash handler.
//
// Windows hands an unhandled exception to the filter set with
// SetUnhandledExceptionFilter. Here SIGSEGV, SIGBUS, SIGFPE, SIGILL and SIGABRT (which
// std::terminate raises through abort) reach a signal handler on an alternate stack; it
// describes the signal as an exception record, calls the filter, and ends the process
// with 128 + the signal's number once the filter returns.
//
// Everything the filter may call from this header is safe inside a signal handler: no
// heap, no stdio, no locks of the C runtime. The log report is written straight to the
// open log file's descriptor in the log's record format.
#pragma once

#include "WinCompat.h"

#include <cstddef>
#include <ucontext.h>

// Exception codes reported for the signals.
enum : DWORD {
    EXCEPTION_ACCESS_VIOLATION = 0xC0000005,    // SIGSEGV, SIGBUS
    EXCEPTION_ILLEGAL_INSTRUCTION = 0xC000001D, // SIGILL
    EXCEPTION_INT_DIVIDE_BY_ZERO = 0xC0000094,  // SIGFPE
    EXCEPTION_CPP_EXCEPTION = 0xE06D7363,       // SIGABRT, std::terminate
};

// The value by which a filter asks for the process to end without the system's report.
constexpr long EXCEPTION_EXECUTE_HANDLER = 1;

struct EXCEPTION_RECORD {
    DWORD ExceptionCode;
    DWORD ExceptionFlags;
    void* ExceptionAddress; // the instruction that faulted
    int Signal;
    int SignalCode;     // siginfo's si_code
    void* FaultAddress; // siginfo's si_addr
};

// The faulting thread's registers as the kernel saved them.
typedef ucontext_t CONTEXT;

struct EXCEPTION_POINTERS {
    EXCEPTION_RECORD* ExceptionRecord;
    CONTEXT* ContextRecord;
};

typedef long (*LPTOP_LEVEL_EXCEPTION_FILTER)(EXCEPTION_POINTERS* exception);

// Installs the filter and the signal handlers (null restores the default actions).
// Returns the filter set before.
LPTOP_LEVEL_EXCEPTION_FILTER SetUnhandledExceptionFilter(LPTOP_LEVEL_EXCEPTION_FILTER filter);

// The dump path (at most 259 characters; a longer text is ignored). Before start-up sets
// one it is "/tmp/utility.dmp".
void SetDumpFilePath(const char* path);
// A tag inserted into the dump's name after the architecture. 0, or -1 for a text
// longer than 259 characters (the tag is then left as it was).
int SetDumpNameTag(const char* tag);

// Writes the dump and the crash report into the log; dumpName (260 bytes) receives the
// dump file's name. Returns EXCEPTION_EXECUTE_HANDLER.
long HandleCrash(EXCEPTION_POINTERS* exception, char* dumpName);

// Writes the dump file: its name is the dump path cut at its last '.' (in the file name;
// without one the extension is "dmp") as "%s_%s_%4d-%02d-%02d %02d-%02d-%02d.%s" with the
// architecture and the local time, or with the tag after the architecture. The file
// holds the signal, the exception texts, the registers, the call stack and the memory
// map. Failures pass silently.
void WriteMiniDump(const char* dumpPath, char* outName, EXCEPTION_POINTERS* exception);

struct ExceptionTexts {
    char code[32];
    char address[32];
    char flags[32];
};
// Each text "%08X": the code, the low 32 bits of the address, the flags.
void FormatExceptionRecord(const EXCEPTION_RECORD& record, ExceptionTexts* texts);

struct CrashStackFrame {
    char moduleName[1024];
    char functionName[1024];
    char sourceFile[1024];
    char lineNumber[1024];
};

// The call stack of the faulting thread, innermost frame first, into frames (at most
// capacity of them, and at most kMaxCrashFrames); returns how many were filled. A field
// that cannot be resolved reads "N/A"; source file and line always do, since no debug
// information is read in a crashing process.
constexpr int kMaxCrashFrames = 64;
int CollectCallStack(const CONTEXT* context, CrashStackFrame* frames, int capacity);

// A size of 0 copies nothing; a longer source is cut to size - 1 characters.
void SafeStrCopy(char* destination, size_t size, const char* source);

// Writes one record of the crash report into the open log file (the one in the log
// folder), stamped as the log stamps its records; to standard error when no log file is
// open.
void CrashLogWrite(const char* text);

// The crash message: "caption: text" and a line break on standard error.
void CrashMessageBox(const char* text, const char* caption);
