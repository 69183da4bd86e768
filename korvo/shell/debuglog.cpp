#include "shell/debuglog.h"

#include <chrono>

long processMilliseconds() {
    // Taken at the first call, which the log's banner makes while the program's globals are
    // being constructed: as good as the start of the process.
    static const auto processStart = std::chrono::steady_clock::now();
    return long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - processStart)
                    .count());
}

void writeStartBanner(std::ostream& out, const char* buildDate, const char* buildTime) {
    out << std::endl << std::endl << std::endl;
    out << "Program started " << buildDate << " " << buildTime << std::endl;
    out << "----------------------------------";
}

void writeEndLine(std::ostream& out) { out << "Debugging ended." << std::endl; }

std::ostream& writeEntryHeader(std::ostream& out, int line, const char* sourcePath) {
    out << std::endl << std::endl;
    out << ">> " << processMilliseconds() << " - at line " << line << " in file " << sourcePath << ":" << std::endl;
    return out;
}

// The build date and time are those of this module, as the banner says when the player was made.
DebugLog::DebugLog() {
    processMilliseconds();
    writeStartBanner(debugLog, __DATE__, __TIME__);
}

DebugLog::~DebugLog() {
    writeEndLine(debugLog);
    debugLog.close();
}
