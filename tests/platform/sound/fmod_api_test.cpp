// The FMOD subset as the programs rely on it: version, initialisation (twice), error codes,
// stream modes and channels, songs.
#include <cstdlib>
#include <sys/stat.h>

#include "fmod.h"
#include "sound/testing.h"
#include "sound_test_support.h"

namespace sound_test {
namespace {

using sound::testing::renderMix;

class Fmod : public SoundTest {
protected:
    std::string mp3(const std::string& name, double seconds = 0.25) {
        std::string path = temp.file(name);
        writeBytes(path, sineMp3(440, seconds));
        return path;
    }
    std::string song(const std::string& name, int rows = 4) {
        std::string path = temp.file(name);
        writeBytes(path, moduleBytes(content::module::toneSong(content::module::periodOf(12), 32, rows)));
        return path;
    }
};

TEST_F(Fmod, VersionIs32UnlessTheTestHookSaysOtherwise) {
    EXPECT_EQ(FSOUND_GetVersion(), 3.2f);
    setenv("DEMO_FMOD_VERSION", "3.21", 1);
    EXPECT_EQ(FSOUND_GetVersion(), 3.21f);
}

TEST_F(Fmod, CallsBeforeInitReportUninitialized) {
    std::string stream = mp3("a.mp3"), module = song("a.mod");
    EXPECT_EQ(FSOUND_Stream_OpenMpeg(stream.c_str(), 0x29), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FMUSIC_LoadSong(module.c_str()), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, nullptr), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_UNINITIALIZED);
}

TEST_F(Fmod, InitChecksItsArgumentsAndTheDevice) {
    EXPECT_FALSE(FSOUND_Init(100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_FALSE(FSOUND_Init(44100, -1, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    setenv("DEMO_AUDIO_UNAVAILABLE", "1", 1);
    EXPECT_FALSE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INIT);
    unsetenv("DEMO_AUDIO_UNAVAILABLE");
    EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_NONE) << "success clears the error";
}

// Each way a file can fail, for songs and streams alike, gives its own code.
TEST_F(Fmod, FileFailuresGiveTheirErrorCodes) {
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    std::string text = temp.file("notes.txt"), empty = temp.file("empty.bin"), folder = temp.file("folder");
    testing_support::writeFile(text, "This is a text file and neither a module nor an MPEG stream.\n");
    testing_support::writeFile(empty, "");
    mkdir(folder.c_str(), 0755);
    std::string mp3File = mp3("real.mp3"), modFile = song("real.mod");
    struct Case {
        const char* what;
        std::string path;
        int songError, streamError;
    } cases[] = {
        {"missing file", temp.file("missing"), FMOD_ERR_FILE_NOTFOUND, FMOD_ERR_FILE_NOTFOUND},
        {"missing folder", temp.file("missing/file"), FMOD_ERR_FILE_NOTFOUND, FMOD_ERR_FILE_NOTFOUND},
        {"text file", text, FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_FORMAT},
        {"empty file", empty, FMOD_ERR_FILE_FORMAT, FMOD_ERR_FILE_FORMAT},
        {"a folder", folder, FMOD_ERR_FILE_BAD, FMOD_ERR_FILE_BAD},
        {"MP3 as a song", mp3File, FMOD_ERR_FILE_FORMAT, FMOD_ERR_NONE},
        {"module as a stream", modFile, FMOD_ERR_NONE, FMOD_ERR_FILE_FORMAT},
    };
    for (const Case& c : cases) {
        FMUSIC_MODULE* s = FMUSIC_LoadSong(c.path.c_str());
        EXPECT_EQ(FSOUND_GetError(), c.songError) << c.what << " as a song";
        EXPECT_EQ(s == nullptr, c.songError != FMOD_ERR_NONE) << c.what;
        FSOUND_STREAM* t = FSOUND_Stream_OpenMpeg(c.path.c_str(), 0x29);
        EXPECT_EQ(FSOUND_GetError(), c.streamError) << c.what << " as a stream";
        EXPECT_EQ(t == nullptr, c.streamError != FMOD_ERR_NONE) << c.what;
    }
    EXPECT_EQ(FMUSIC_LoadSong(nullptr), nullptr);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FMUSIC_PlaySong(nullptr), 0);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    int notAStream = 0;
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, reinterpret_cast<FSOUND_STREAM*>(&notAStream)), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
}

// A script that starts a stream and then a song initialises twice; the second time must
// succeed and leave the stream playing, so both are heard together.
TEST_F(Fmod, SecondInitSucceedsAndKeepsMusicPlaying) {
    std::string stream = mp3("music.mp3", 1.0), module = song("song.mod", 16);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* s = FSOUND_Stream_OpenMpeg(stream.c_str(), 0x29);
    ASSERT_NE(s, nullptr);
    ASSERT_EQ(FSOUND_Stream_Play(FSOUND_FREE, s), 0);
    double streamAlone = rootMeanSquare(renderMix(rate / 4), 0, 0, rate / 4);

    EXPECT_TRUE(FSOUND_Init(44100, 32, 0));
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_NONE);
    FMUSIC_MODULE* m = FMUSIC_LoadSong(module.c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(FMUSIC_PlaySong(m));
    Mix both = renderMix(rate / 4);
    EXPECT_NEAR(double(cycles(both, 0, 0, rate / 4, 500)), 110.0, 6.0) << "the stream's 440 Hz goes on";
    EXPECT_GT(rootMeanSquare(both, 0, 0, rate / 4), streamAlone * 1.2) << "with the song on top";
}

TEST_F(Fmod, StreamPlaysOnceUnlessItsModeLoops) {
    std::string path = mp3("short.mp3", 0.25);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FSOUND_STREAM* once = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);   // loop off, 8 bits, mono
    ASSERT_NE(once, nullptr);
    FSOUND_Stream_Play(FSOUND_FREE, once);
    EXPECT_EQ(endOfLoud(renderMix(rate), 0), size_t(rate / 4));

    FSOUND_STREAM* looped = FSOUND_Stream_OpenMpeg(path.c_str(), FSOUND_LOOP_NORMAL | FSOUND_NORMAL);
    ASSERT_NE(looped, nullptr);
    FSOUND_Stream_Play(FSOUND_FREE, looped);
    Mix mix = renderMix(rate);
    EXPECT_EQ(endOfLoud(mix, 0), size_t(rate));
    EXPECT_NEAR(double(cycles(mix, 0, 0, rate)), 440.0, 8.0);
}

TEST_F(Fmod, ModesThatCannotApplyAreRefused) {
    std::string path = mp3("a.mp3");
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    for (unsigned mode : {unsigned(FSOUND_LOADMEMORY), unsigned(FSOUND_LOADRAW), unsigned(FSOUND_LOOP_BIDI),
                          unsigned(FSOUND_LOOP_OFF | FSOUND_LOOP_NORMAL), 0x80000000u}) {
        ::testing::internal::CaptureStderr();
        EXPECT_EQ(FSOUND_Stream_OpenMpeg(path.c_str(), mode), nullptr) << std::hex << mode;
        ::testing::internal::GetCapturedStderr();
        EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM) << std::hex << mode;
    }
    EXPECT_NE(FSOUND_Stream_OpenMpeg(path.c_str(), FSOUND_2D | FSOUND_MPEGACCURATE | FSOUND_STEREO), nullptr);
}

TEST_F(Fmod, StreamsTakeFreeChannelsAndGiveThemBackAtTheirEnd) {
    std::string path = mp3("a.mp3", 0.25);
    ASSERT_TRUE(FSOUND_Init(44100, 2, 0));
    FSOUND_STREAM* a = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    FSOUND_STREAM* b = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    FSOUND_STREAM* c = FSOUND_Stream_OpenMpeg(path.c_str(), 0x29);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, a), 0);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, b), 1);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, c), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_CHANNEL_ALLOC);
    EXPECT_EQ(FSOUND_Stream_Play(2, c), -1);
    EXPECT_EQ(FSOUND_GetError(), FMOD_ERR_INVALID_PARAM);
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, a), 0) << "playing a stream again restarts it on its channel";

    renderMix(rate / 2);   // both end
    EXPECT_EQ(FSOUND_Stream_Play(FSOUND_FREE, c), 0);
    EXPECT_EQ(FSOUND_Stream_Play(1, a), 1);
    EXPECT_EQ(FSOUND_Stream_Play(1, b), 1) << "an explicit channel stops what plays on it";
    Mix mix = renderMix(rate / 2);
    EXPECT_EQ(endOfLoud(mix, 0), size_t(rate / 4));
    FSOUND_Stream_Play(0, c);
    double one = rootMeanSquare(renderMix(rate / 4), 0, 1000, 10000);
    EXPECT_NEAR(rootMeanSquare(mix, 0, 1000, 10000), 2 * one, one * 0.02) << "two streams sound, not three";
}

TEST_F(Fmod, PlayingASongAgainRestartsIt) {
    std::string path = song("a.mod", 4);
    ASSERT_TRUE(FSOUND_Init(44100, 32, 0));
    FMUSIC_MODULE* m = FMUSIC_LoadSong(path.c_str());
    ASSERT_NE(m, nullptr);
    ASSERT_TRUE(FMUSIC_PlaySong(m));
    Mix first = renderMix(rate);
    ASSERT_GT(endOfLoud(first), 0u);
    EXPECT_EQ(endOfLoud(renderMix(rate / 2)), 0u) << "the song has ended";
    ASSERT_TRUE(FMUSIC_PlaySong(m));
    Mix again = renderMix(rate);
    EXPECT_EQ(again, first);
}

}  // namespace
}  // namespace sound_test
