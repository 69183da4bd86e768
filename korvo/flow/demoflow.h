// The demo-flow script: timed events read one ahead of the clock from "demoflow.txt".
//
//     KVXDEMO
//     0    PlayMP3     music.mp3
//     0    PlayScene   intro.lws     the rest of a line is a comment
//     20   ResetTimer
//     20   DelScene    intro.lws
//     95.5 Quit
#pragma once

#include <cstdio>

class DemoFlow {
public:
    // Opens the script and reads its magic word and first event time; a missing file or a
    // file that is not a script ends the program.
    explicit DemoFlow(const char* fileName);
    virtual ~DemoFlow();
    DemoFlow(const DemoFlow&) = delete;
    DemoFlow& operator=(const DemoFlow&) = delete;

    // Runs every event due at show time t, in file order, and returns the scene time.
    float update(float t);

private:
    // Reads the next blank-separated word (at most 79 characters); false at the end of the file.
    bool readWord(char* word);
    void runCommand(const char* command);
    void skipRestOfLine();
    void readNextTime();

    std::FILE* file = nullptr;
    float nextTime = 0.0f;
    float resetTime = 0.0f;
    float lastTime = 0.0f;
    bool exhausted = false;
};
