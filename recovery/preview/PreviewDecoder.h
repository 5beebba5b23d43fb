// The preview's worker: decodes the full picture of the find shown off the
// window's thread, a screen-sized copy of it, and posts the window a message
// when it is done. Only the newest request counts: one not yet begun is
// replaced, and a result of an older one is dropped.
#pragma once

#include <windows.h>

#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

#include "DecodedPicture.h"
#include "Framework.h"

// What the picture area shows.
// Undrawn: a picture of a type this program does not draw, or a RAW that
// carries no picture of itself.
enum class PreviewShowing { Nothing, Loading, Thumbnail, Picture, Damaged, Undrawn };

// What the picture area shows: an Exif thumbnail stands for its photo, a
// screen-sized copy for the full picture.
struct PreviewImage {
    DecodedPicture picture;
    PreviewShowing showing = PreviewShowing::Nothing;
};

class CPreviewDecoder {
public:
    // Posted to the window with the request's number as wParam.
    static const UINT kDecodedMessage = WM_APP + 40;

    CPreviewDecoder();
    // Stops the worker and waits for a decode under way.
    ~CPreviewDecoder();
    CPreviewDecoder(const CPreviewDecoder&) = delete;
    CPreviewDecoder& operator=(const CPreviewDecoder&) = delete;

    // Results are posted to window from now on; the worker starts once.
    void Start(HWND window);
    // Decodes the picture at path, no larger than maxWidth x maxHeight.
    void Request(const CString& path, int maxWidth, int maxHeight);
    // The result the message with wParam told of, if it is still the newest.
    bool Take(WPARAM wParam, PreviewImage& image);
    // The window goes: nothing is posted, a decode under way is dropped.
    void Forget();
    // Stops the worker and waits for it (as the destructor does).
    void Stop();
    // Full decodes begun since the object was made.
    int Started() const;

    // The image shown for the picture at path, as the worker makes it.
    static PreviewImage Decode(const CString& path, int maxWidth, int maxHeight);

private:
    struct Job {
        unsigned generation = 0;
        CString path;
        int maxWidth = 0, maxHeight = 0;
    };
    // Shared with the worker under its lock.
    struct Shared {
        std::mutex lock;
        std::condition_variable wake;
        bool stopping = false;
        bool pending = false;
        Job job;
        unsigned current = 0;  // results of other generations are dropped
        HWND notify = nullptr;
        PreviewImage result;   // done, not yet taken by the window
        unsigned resultGeneration = 0;
        int decodes = 0;
    };
    static void Work(std::shared_ptr<Shared> shared);

    std::shared_ptr<Shared> m_shared;
    std::thread m_worker;
};
