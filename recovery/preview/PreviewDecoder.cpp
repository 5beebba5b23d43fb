#include "PreviewDecoder.h"

#include <objbase.h>

#include <utility>

#include "PictureSource.h"

CPreviewDecoder::CPreviewDecoder() : m_shared(std::make_shared<Shared>()) {}

CPreviewDecoder::~CPreviewDecoder()
{
    Stop();
}

void CPreviewDecoder::Stop()
{
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->stopping = true;
        m_shared->wake.notify_all();
    }
    // Waits for a decode under way: GDI+ must not be stopped under it.
    if (m_worker.joinable())
        m_worker.join();
    m_shared->result = PreviewImage();
}

void CPreviewDecoder::Start(HWND window)
{
    {
        std::lock_guard<std::mutex> lock(m_shared->lock);
        m_shared->notify = window;
    }
    if (!m_worker.joinable())
        m_worker = std::thread(&CPreviewDecoder::Work, m_shared);
}

void CPreviewDecoder::Request(const CString& path, int maxWidth, int maxHeight)
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    // The newest request replaces one not yet begun.
    m_shared->job.generation = ++m_shared->current;
    m_shared->job.path = path;
    m_shared->job.maxWidth = maxWidth;
    m_shared->job.maxHeight = maxHeight;
    m_shared->pending = true;
    m_shared->result = PreviewImage();
    m_shared->wake.notify_one();
}

bool CPreviewDecoder::Take(WPARAM wParam, PreviewImage& image)
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    if (static_cast<unsigned>(wParam) != m_shared->current || m_shared->resultGeneration != m_shared->current ||
        m_shared->result.showing == PreviewShowing::Nothing)
        return false;
    image = std::move(m_shared->result);
    m_shared->result = PreviewImage();
    return true;
}

void CPreviewDecoder::Forget()
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    m_shared->notify = nullptr;
    m_shared->pending = false;
    ++m_shared->current;  // a decode under way is dropped when done
    m_shared->result = PreviewImage();
}

int CPreviewDecoder::Started() const
{
    std::lock_guard<std::mutex> lock(m_shared->lock);
    return m_shared->decodes;
}

PreviewImage CPreviewDecoder::Decode(const CString& path, int maxWidth, int maxHeight)
{
    PreviewImage image;
    image.showing = PreviewShowing::Damaged;
    CPictureSource source(path);
    if (!source.Draws()) {
        image.showing = PreviewShowing::Undrawn;
        return image;
    }
    // A damaged JPEG that nothing decodes whole: what can be had of it,
    // the rest grey, shown as large as the picture.
    DecodedPicture full = source.Whole();
    if (!full)
        full = source.Salvage();
    // Only the screen-sized copy is kept: a 12-megapixel photo takes 48 MB decoded.
    image.picture = FittedCopy(full, maxWidth, maxHeight);
    if (image.picture)
        image.showing = PreviewShowing::Picture;
    // A RAW that carries no picture is not damaged: it says why it is not shown.
    else if (source.DrawsCarriedOnly())
        image.showing = PreviewShowing::Undrawn;
    return image;
}

void CPreviewDecoder::Work(std::shared_ptr<Shared> shared)
{
    // GDI+ reads files through COM objects.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    std::unique_lock<std::mutex> lock(shared->lock);
    for (;;) {
        shared->wake.wait(lock, [&] { return shared->stopping || shared->pending; });
        if (shared->stopping)
            break;
        const Job job = shared->job;
        shared->pending = false;
        ++shared->decodes;
        lock.unlock();

        PreviewImage image = Decode(job.path, job.maxWidth, job.maxHeight);

        lock.lock();
        if (job.generation == shared->current && !shared->stopping && shared->notify) {
            shared->result = std::move(image);
            shared->resultGeneration = job.generation;
            ::PostMessageA(shared->notify, kDecodedMessage, job.generation, 0);
        }
    }
    lock.unlock();
    if (SUCCEEDED(com))
        CoUninitialize();
}
