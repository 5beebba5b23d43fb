// The intake of a search's finds: walks of the data folder hand each new
// file to the thumbnail workers, the finished thumbnails are handed on in
// the order the walks found the files, and the engine's finds file says
// what it knows of each find (the folder it was in, whether it had been
// deleted or is damaged). A walk started after the engine's end sees every
// file it wrote: once that one has been taken in, the intake is done.
//
// The intake lists nothing itself: each step hands what came in to a sink
// (the picture list), which answers the item it gave a new find.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "FolderWalk.h"
#include "Framework.h"
#include "Thumbnail.h"
#include "ThumbnailMaker.h"

// What the engine's finds file says of one find.
struct FindRecord {
    std::string folder;
    bool deleted = false;
    bool damaged = false;
    int decodes = -1;
    bool found = false;  // found by its contents: stays Found, damaged
};

// A find taken in: its thumbnail, what its bytes said, and its record when
// one came before it.
struct NewFind {
    CString path;
    ThumbnailPixels pixels;
    PictureDetails details;
    bool decodes = false;
    const FindRecord* record = nullptr;
};

class IFindsSink {
public:
    // Lists the find and answers its item.
    virtual int AddFind(const NewFind& find) = 0;
    // A record came for the find listed as this item.
    virtual void UpdateFind(int item, const FindRecord& record) = 0;

protected:
    ~IFindsSink() = default;
};

class CFindsIntake {
public:
    enum class Walk {
        Going,     // the walk stopped for time and goes on at the next step
        Ended,     // a walk made while the engine runs has ended
        LastEnded  // the walk made after the engine's end has ended
    };

    CFindsIntake() = default;
    CFindsIntake(const CFindsIntake&) = delete;
    CFindsIntake& operator=(const CFindsIntake&) = delete;

    // The finds file of a search into outDir, read from its start. A new
    // search's (fresh) is deleted first: what is there is an older one's.
    void UseFindsFile(const CString& outDir, bool fresh);
    // A fresh start: no walk, nothing with the workers, nothing handed on,
    // the placeholder drawn anew. The finds file stays.
    void Restart();
    // Forgets the finds handed on: the list was emptied.
    void ForgetListed();
    // Ends the workers and the walk (the workers start again with the
    // next file); Pause only drops what they have.
    void Stop();
    void Pause();

    // A step of the walk of dataDir: reads the records added to the finds
    // file, then walks for about budget. A walk starts when none is going;
    // engineRunning says whether the engine may still write files.
    Walk WalkStep(const CString& dataDir, bool engineRunning, std::chrono::milliseconds budget, IFindsSink& sink);
    // Hands on the finished thumbnails, in the order found, for about
    // budget. Answers how many of them the sink listed out of step with
    // the finds handed to it (each is listed all the same).
    int TakeIn(std::chrono::milliseconds budget, IFindsSink& sink);
    // Reads the records added to the finds file since it was last read.
    void ReadRecords(IFindsSink& sink);

    // Files with the workers, not handed on yet.
    size_t Waiting() const { return m_thumbnails.Waiting(); }
    // The last walk was made after the engine had ended.
    bool LastPass() const { return m_bLastPass; }
    bool HasFindsFile() const { return !m_strFindsPath.IsEmpty(); }

private:
    // False when the sink's item is out of step.
    bool Take(CThumbnailMaker::Result& result, IFindsSink& sink);
    // The placeholder's thumbnail, drawn once per intake; false when
    // icon.png is not beside the program.
    bool Placeholder(ThumbnailPixels& pixels);

    CFolderWalk m_walk;
    CThumbnailMaker m_thumbnails;
    // Every file the walks have dealt with: handed on, with the workers, or
    // no picture. A later walk passes over them at the cost of a lookup.
    std::unordered_set<std::string> m_knownFiles;
    bool m_bWalkAfterEnd = false;
    bool m_bLastPass = false;
    // The item the next find handed on should get.
    int m_nNextItem = 0;
    ThumbnailPixels m_placeholder;
    bool m_bPlaceholderDrawn = false;
    // The finds file: where, how far it has been read, the records of finds
    // not handed on yet and the item of each find handed on, by the find's
    // path below the output folder.
    CString m_strOutDir;
    CString m_strFindsPath;
    uint64_t m_nFindsRead = 0;
    std::unordered_map<std::string, FindRecord> m_records;
    std::unordered_map<std::string, int> m_itemOfFind;
};
