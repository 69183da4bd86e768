#include "flow/demoflow.h"

#include <cstdlib>
#include <cstring>
#include <new>

#include "lightwave/scene.h"
#include "shell/cleanup.h"
#include "shell/list.h"
#include "shell/music.h"
#include "shell/release.h"

extern List sceneList;

DemoFlow::DemoFlow(const char* fileName) {
    file = std::fopen(fileName, "r");
    if (!file) cleaner.fatal("demofile not found");
    char word[80];
    if (!readWord(word) || std::strcmp(word, "KVXDEMO") != 0) {
        // A name that opens but cannot be read (a folder) is no script file either.
        bool unreadable = std::ferror(file) != 0;
        std::fclose(file);
        file = nullptr;
        cleaner.fatal(unreadable ? "demofile not found" : "demoflow is not a KVX demo");
    }
    resetTime = 0.0f;
    lastTime = 0.0f;
    readNextTime();
}

DemoFlow::~DemoFlow() {
    if (file) std::fclose(file);
}

bool DemoFlow::readWord(char* word) {
    // A word longer than 79 characters is read in pieces: its rest becomes the next word.
    if (exhausted || std::fscanf(file, "%79s", word) != 1) {
        exhausted = true;
        return false;
    }
    return true;
}

void DemoFlow::skipRestOfLine() {
    char rest[80];
    if (!std::fgets(rest, sizeof rest, file)) exhausted = true;
}

void DemoFlow::readNextTime() {
    char word[80];
    if (readWord(word)) nextTime = float(std::atof(word));
}

float DemoFlow::update(float t) {
    lastTime = t;
    while (!exhausted && !(t < nextTime)) {
        char command[80];
        if (!readWord(command)) break;
        runCommand(command);
        if (exhausted) break;   // the event's argument was cut off by the end of the file
        skipRestOfLine();
        readNextTime();
    }
    return t - resetTime;
}

void DemoFlow::runCommand(const char* command) {
    char argument[80];
    if (std::strcmp(command, "PlayScene") == 0) {
        if (!readWord(argument)) return;
        if (!new (std::nothrow) Scene(argument)) cleaner.fatal("loading scene FAILED");
    } else if (std::strcmp(command, "ResetTimer") == 0) {
        resetTime = lastTime;
    } else if (std::strcmp(command, "Quit") == 0) {
        releaseScenesAndTextures();
        std::exit(0);
    } else if (std::strcmp(command, "DelScene") == 0) {
        if (!readWord(argument)) return;
        ListNode* node = sceneList.find(argument);
        if (node) {
            static_cast<Scene*>(node->getData())->disableAllLights();
            removeScene(node);   // no longer updated or drawn; the scene itself stays
        }
    } else if (std::strcmp(command, "PlaySong") == 0) {
        if (!readWord(argument)) return;
        playSong(argument);
    } else if (std::strcmp(command, "PlayMP3") == 0) {
        if (!readWord(argument)) return;
        playStream(argument);
    } else if (std::strcmp(command, "ChangeCamera") == 0) {
        readWord(argument);
    }
}
