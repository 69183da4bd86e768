// The debug log: a plain-text trace of the run, appended to "debug.log" in the working
// directory. Every module reports through one entry form:
//
//     <blank line><blank line>
//     >> <milliseconds since start> - at line <n> in file <source path>:
//     <message lines>
//
// Writes to a log that could not be opened are dropped without a word.
#pragma once

#include <fstream>
#include <ostream>

// The log stream. Every line written ends with std::endl, so the file is flushed line by line.
extern std::ofstream debugLog;

// Milliseconds of wall-clock time since the process started.
long processMilliseconds();

// The banner that starts a run's part of the log, and its closing line.
void writeStartBanner(std::ostream& out, const char* buildDate, const char* buildTime);
void writeEndLine(std::ostream& out);
// The header of one entry; the caller writes the message lines after it.
std::ostream& writeEntryHeader(std::ostream& out, int line, const char* sourcePath);

// Starts an entry naming the reporting statement's source line and file; continue it with
// the message lines, each ended by std::endl:  LOG_ENTRY << "windowed" << std::endl;
#define LOG_ENTRY writeEntryHeader(debugLog, __LINE__, __FILE__)

// Constructed right after `debugLog` is opened: writes the start banner; destroyed last but
// one, it writes the end line and closes the log.
class DebugLog {
public:
    DebugLog();
    virtual ~DebugLog();
    DebugLog(const DebugLog&) = delete;
    DebugLog& operator=(const DebugLog&) = delete;
};
