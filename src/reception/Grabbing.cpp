// Start and stop of grabbing, the frame grabber and image poller threads, the queues and the callback
// registration.
#include <chrono>
#include <cstring>
#include <thread>

#include "logging/Log.h"
#include "parameters/ParameterTable.h"
#include "reception/ImageReception.h"
#include "reception/Interleaving.h"
#include "reception/ParallelProfileProcessing.h"
#include "transport/YoxaDll.h"

CamProperties::CamProperties() = default;
CamProperties::~CamProperties() = default;

namespace {

constexpr int kInterleavingCapacity = 10000;
constexpr int kStartRemovalBudget = 20;

void SleepMs(int ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

template <typename T>
void StoreMax(std::atomic<T>& target, T value) {
    if (value > target.load(std::memory_order_relaxed)) target.store(value, std::memory_order_relaxed);
}

}  // namespace

double TimestampTickRate(const CamProperties& cam) {
    // QvTarn firmware before 1.2.0 counts its timestamps at 9.9 MHz.
    const bool oldTarnClock = cam.family == FAMILY_QVTARN &&
                              FW(cam.fwMajor, cam.fwMinor, cam.fwFeature) < QV_TARN_TS_FREQ_FIXED_FW_VERSION;
    return oldTarnClock ? 9900000.0 : 10000000.0;
}

// ---------------------------------------------------------------- start and stop

CameraStatus CImageReception::StartGrabbing(char* camera) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    if (cam.grabbing) {
        YLOG(DEBUG) << "Already grabbing";
        return CS_SUCCESS;
    }
    if (!cam.imagePoller.joinable()) {
        cam.imagePollerStop = false;
        cam.imagePollerFinished = false;
        cam.imagePoller = std::thread([this, index] { PollImageQueue(index); });
    }
    if (cam.interleaving == nullptr)
        cam.interleaving = std::make_unique<CInterleaving>(kInterleavingCapacity);
    cam.peakPollerStop = false;
    if (cam.processing != nullptr) {
        cam.processing->Reallocate(cam.maxPointCount);
    } else {
        cam.processing = std::make_unique<ParallelProfileProcessing>(index, &cam, cam.interleaving.get());
    }
    if (!cam.peakPoller.joinable()) {
        cam.peakPollerFinished = false;
        cam.peakPoller = std::thread([this, index] { PollPeakQueue(index); });
    }
    if (!cam.frameGrabber.joinable()) {
        cam.grabberFinished = false;
        cam.grabberRun = true;
        cam.frameGrabber = std::thread([this, index] { RunFrameGrabbing(index); });
    }
    cam.grabbing = true;
    LogYoxaApiStatus(yoxaStartImageAcquisition(cam.cameraHandle), "yoxaStartImageAcquisition", index);
    return CS_SUCCESS;
}

void CImageReception::StopGrabbing(int index) {
    CamProperties& cam = cameras[index];
    LogYoxaApiStatus(yoxaStopImageAcquisition(cam.cameraHandle), "yoxaStopImageAcquisition", index);
    cam.grabbing = false;
    cam.reorderRestart = true;
}

CameraStatus CImageReception::StopGrabbing(char* camera) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    if (!cam.grabbing) return CS_SUCCESS;
    StopGrabbing(index);
    if (cam.batchCallbacks[0].load() != nullptr) FlushQueue(camera, 1000);
    return CS_SUCCESS;
}

CameraStatus CImageReception::ClearBatchBuffers(char* camera) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    if (cameras[index].grabbing) cameras[index].clearBatchRequest = true;
    return CS_SUCCESS;
}

// ---------------------------------------------------------------- queues

void CImageReception::PushImage(const unsigned char* data, int size, const HEADER& header, int index) {
    Image image;
    image.data = std::make_unique<unsigned char[]>(static_cast<size_t>(size));
    std::memcpy(image.data.get(), data, static_cast<size_t>(size));
    image.size = size;
    image.header = header;
    cameras[index].imageQueue.Push(std::move(image));
}

bool CImageReception::PopImage(Image* out, int index) {
    CamProperties& cam = cameras[index];
    if (!cam.imageQueue.Pop(*out)) return true;
    out->header.queueBacklog = static_cast<int32_t>(cam.peakQueue.Size());
    return false;
}

void CImageReception::PushPeaks(PeakArray& array, int index) {
    cameras[index].peakQueue.Push(std::move(array));
}

int CImageReception::PopPeaks(PeakArray* out, int index) {
    if (out == nullptr) return 1;
    size_t remaining = 0;
    if (!cameras[index].peakQueue.Pop(*out, &remaining)) return 1;
    out->header.queueBacklog = static_cast<int32_t>(remaining);
    return 0;
}

bool CImageReception::QueuesEmpty(int index) {
    return cameras[index].imageQueue.Empty() && cameras[index].peakQueue.Empty();
}

void CImageReception::ClearQueues(int index) {
    CamProperties& cam = cameras[index];
    cam.imageQueue.Clear([](Image&) {});
    ParallelProfileProcessing* processing = cam.processing.get();
    cam.peakQueue.Clear([processing](PeakArray& array) {
        // A borrowed buffer goes back to the pool it came from; an owned one frees itself.
        if (!array.owned && array.points != nullptr && processing != nullptr)
            processing->FreePointsBuffer(array.points);
        array.points = nullptr;
    });
}

CameraStatus CImageReception::FlushQueue(char* camera, int timeoutMs) {
    int index;
    if (GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    cam.holdPeakQueue = true;
    const bool wasGrabbing = cam.grabbing;
    const int timeout = std::max(timeoutMs, 100);
    CameraStatus status = CS_SUCCESS;
    if (wasGrabbing) status = StopGrabbing(camera);
    if (status == CS_SUCCESS) {
        for (int step = 0; step < timeout / 10 && !QueuesEmpty(index); ++step) SleepMs(10);
        ClearQueues(index);
        if (wasGrabbing) status = StartGrabbing(camera);
    }
    cam.holdPeakQueue = false;
    return status;
}

// ---------------------------------------------------------------- frame grabber

void CImageReception::RunFrameGrabbing(int index) {
    CamProperties& cam = cameras[index];
    char id[18];
    if (GetCameraId(index, id) != CS_SUCCESS) {
        YLOG(ERROR) << "Cannot map camera index " << index << " to a camera id";
        cam.grabberFinished = true;
        return;
    }
    const int32_t handle = cam.cameraHandle;
    cam.grabberRun = true;
    cam.grabbing = true;

    while (yoxaGetPendingImageCount(handle, false) == -1) {
        void* stale = yoxaGetNextImage(handle, false);
        if (stale != nullptr) {
            YLOG(TRACE) << "Image removed " << id;
            yoxaPopImage(handle, false, stale);
        }
    }

    auto windowStart = std::chrono::steady_clock::now();
    uint64_t windowStartTimestamp = 0;
    uint64_t previous = 0;
    bool firstFrame = true;
    bool atBeginning = true;
    int removalBudget = kStartRemovalBudget;
    const double tickRate = TimestampTickRate(cam);

    while (cam.grabberRun) {
        if (yoxaIsBufferEmpty(handle, false)) {
            SleepMs(1);
            continue;
        }
        // Images left from before the current acquisition started are stale wherever they show up,
        // not only when the thread starts.
        if (yoxaGetPendingImageCount(handle, false) == -1) {
            if (void* stale = yoxaGetNextImage(handle, false)) {
                YLOG(TRACE) << "Image removed " << id;
                yoxaPopImage(handle, false, stale);
            }
            continue;
        }
        void* image = yoxaGetNextImage(handle, false);
        if (image == nullptr) continue;
        try {
            HEADER h{};
            h.frameNumber = yoxaGetImageNumber(image);
            if (!cam.grabbing) {
                YLOG(DEBUG) << "Grabbing disabled. Discard index: " << h.frameNumber;
                yoxaPopImage(handle, false, image);
                continue;
            }
            const uint8_t* data = yoxaGetImageData(image);
            const int lost = yoxaGetImageBytesLost(image);
            const int size = yoxaGetImageSize(image);
            const uint8_t hsz = static_cast<uint8_t>(yoxaGetHeaderSize(image));
            if (cam.discardFrames || data == nullptr || size < 8) {
                yoxaPopImage(handle, false, image);
                continue;
            }
            double rate = 0.0;
            uint64_t ts;
            std::memcpy(&ts, data, sizeof ts);
            if (firstFrame) {
                previous = ts;
                firstFrame = false;
            }
            if (ts > previous) {
                double elapsed = SecondsSince(windowStart);
                if (windowStartTimestamp == 0 || elapsed > 10.0) {
                    windowStartTimestamp = ts;
                    windowStart = std::chrono::steady_clock::now();
                    cam.maxLag = 0.0;
                    cam.minLag = 99999999999999.0;
                    elapsed = 0.0;
                }
                rate = tickRate / static_cast<double>(ts - previous);
                StoreMax(cam.maxFrequency, rate);
                const double minFrequency = cam.minFrequency.load(std::memory_order_relaxed);
                if (minFrequency < 0.01 || minFrequency > rate) cam.minFrequency = rate;
                const double sensorElapsed = static_cast<double>(ts - windowStartTimestamp) / tickRate;
                if (sensorElapsed > 0.01) {
                    const double lag = sensorElapsed - elapsed;
                    StoreMax(cam.maxLag, lag);
                    if (lag < cam.minLag.load(std::memory_order_relaxed)) cam.minLag = lag;
                }
            }
            previous = ts;
            if (cam.frequency_calculation) {
                h.frequency.frequency = rate;
            } else {
                h.frequency.timestamp = ts;
            }

            if (cam.peakMode && size > 0) {
                int offset = hsz;
                ParseQvHeader(data, size, hsz, cam, &h, &offset);
                const int payload = size - offset;
                if (atBeginning) {
                    if (h.frameNumber == 0 || removalBudget < 0) {
                        atBeginning = false;
                    } else {
                        --removalBudget;
                        YLOG(WARNING)
                            << "Frame removed from buffer at the beginning. Index: " << h.frameNumber
                            << " Payload: " << payload;
                        yoxaPopImage(handle, false, image);
                        continue;
                    }
                }
                if (cam.grabbing) {
                    int points = std::min<int>(payload / 8 - 1, cam.maxPointCount);
                    // A payload larger than any frame of this window is not peak data. A full line of peaks
                    // (up to maxPointCount records) is always plausible, also for windows of a few rows.
                    const int plausible =
                        std::max(cam.imageWidth * cam.imageHeight - 16,
                                 PEAK_RECORD_SIZE * (cam.maxPointCount + 1) + SENSOR_HEADER_SIZE);
                    if (payload <= 7 || payload > plausible) points = 0;
                    points = std::max(points, 0);
                    cam.numPoints = points;
                    STRUCT_POINT* buffer =
                        cam.processing != nullptr ? cam.processing->GetNextPointsBuffer() : nullptr;
                    // A pool buffer holds maxPointCount points as of the start of grabbing.
                    if (buffer != nullptr && points > cam.processing->BufferSize()) {
                        cam.processing->FreePointsBuffer(buffer);
                        buffer = nullptr;
                    }
                    PeakArray array =
                        buffer != nullptr ? PeakArray::Borrowing(buffer) : PeakArray::Owning(points + 1);
                    array.header = h;
                    const bool decoded = ProcessPeaks(data + offset, payload, cam, array.points);
                    if (lost != 0) {
                        if (decoded) {
                            YLOG(WARNING) << "Data lost(2) when retrieving peak data. Bytes lost: " << lost
                                          << " peaks: " << cam.numPoints << " index: " << h.frameNumber;
                        } else {
                            YLOG(WARNING) << "Data lost when retrieving peak data. Bytes lost: " << lost
                                          << " peaks: " << cam.numPoints << " index: " << h.frameNumber;
                        }
                        cam.numPoints = 0;
                    }
                    array.count = cam.numPoints;
                    PushPeaks(array, index);
                }
            } else if (lost != 0) {
                YLOG(WARNING) << lost << " bytes lost when retrieving raw image";
            } else {
                const int imageBytes = cam.imageWidth * cam.imageHeight;
                const int payload = std::min(size - hsz, imageBytes);
                const int expected = cam.imageHeight * ((cam.imageWidth + 31) / 32 * 32);
                if (payload < expected) {
                    YLOG(WARNING) << "Raw image size " << payload << " differs from the expected size "
                                  << expected;
                }
                if (payload > 0 && payload <= expected) PushImage(data + hsz, payload, h, index);
            }
        } catch (...) {
            YLOG(ERROR) << "Caught an unknown exception during data query from " << id;
        }
        yoxaPopImage(handle, false, image);
    }
    cam.grabberFinished = true;
    YLOG(TRACE) << "Frame grabber for camera " << id << " has finished";
}

// ---------------------------------------------------------------- image poller

void CImageReception::PollImageQueue(int index) {
    CamProperties& cam = cameras[index];
    cam.imageCallbackGate.SetOwner(std::this_thread::get_id());
    Image image;
    while (!cam.imagePollerStop) {
        if (PopImage(&image, index)) {
            SleepMs(1);
            continue;
        }
        {
            GateScope scope(cam.imageCallbackGate);
            if (RawImageCallback raw = cam.rawImageCallback.load()) {
                raw(cam.cameraId, image.data.get(), &image.size, &image.header);
            } else if (FrameGrabbedCallback grabbed = cam.frameGrabbedCallback.load()) {
                grabbed(cam.cameraId, image.data.get(), &image.size, &image.header.frequency.frequency);
            }
        }
        image.data.reset();
    }
    cam.imagePollerFinished = true;
}

// ---------------------------------------------------------------- callback registration

CameraStatus CImageReception::SetRawImageCallback(char* camera, RawImageCallback cb) {
    int index;
    if (camera != nullptr && GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    if (camera == nullptr) index = 0;
    CamProperties& cam = cameras[index];
    cam.rawImageCallback = cb;
    cam.imageCallbackGate.Quiesce();
    if (cb != nullptr) {
        YLOG(TRACE) << "Camera#" << index << " Raw image callback"
                    << ", set: " << reinterpret_cast<void*>(cb);
    } else {
        YLOG(TRACE) << "Camera#" << index << " Raw image callback disabled";
    }
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetFrameGrabbedCallback(char* camera, FrameGrabbedCallback cb) {
    int index = 0;
    if (camera != nullptr && GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    cameras[index].frameGrabbedCallback = cb;
    cameras[index].imageCallbackGate.Quiesce();
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetPeaksGrabbedCallback(const char* camera, PeaksGrabbedCallback cb) {
    int index = 0;
    if (camera != nullptr && GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    cameras[index].peaksGrabbedCallback = cb;
    cameras[index].dataCallbackGate.Quiesce();
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetPointCloudCallback(const char* camera, PointCloudCallback cb) {
    int index = 0;
    if (camera != nullptr && GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    cameras[index].pointCloudCallback = cb;
    cameras[index].dataCallbackGate.Quiesce();
    return CS_SUCCESS;
}

CameraStatus CImageReception::SetProfileCallback(const char* camera, ProfileCallback cb) {
    int index = 0;
    if (camera != nullptr && GetCameraIndex(camera, &index) != CS_SUCCESS) return CS_UNKNOWN_CAMERA;
    CamProperties& cam = cameras[index];
    FlushQueue(const_cast<char*>(camera), 1000);
    cam.profileCallback = cb;
    cam.dataCallbackGate.Quiesce();
    if (cb != nullptr) {
        InitProfileHandler(index);
        YLOG(TRACE) << "Camera#" << index << " Profile callback"
                    << ", set: " << reinterpret_cast<void*>(cb);
    } else {
        YLOG(TRACE) << "Camera#" << index << " Profile callback disabled";
    }
    return CS_SUCCESS;
}

// ---------------------------------------------------------------- disconnection

int CImageReception::DisconnectCameras() {
    const int n = cameraCount;
    cameraCount = 0;
    for (int i = 0; i < n; ++i) {
        CamProperties& cam = cameras[i];
        if (cam.connected) {
            YLOG(TRACE) << "Stopping camera " << i;
            StopGrabbing(i);
        }
        cam.grabberRun = false;
        if (cam.frameGrabber.joinable()) cam.frameGrabber.join();
        if (cam.connected) {
            SleepMs(500);
            YLOG(TRACE) << "Closing camera of " << i;
            LogYoxaApiStatus(yoxaCloseCamera(cam.cameraHandle), "yoxaCloseCamera", i);
        }
        cam.imagePollerStop = true;
        if (cam.imagePoller.joinable()) cam.imagePoller.join();
        YLOG(TRACE) << "Clearing raw image queue of " << i;
        cam.imageQueue.Clear([](Image&) {});
        cam.peakPollerStop = true;
        if (cam.peakPoller.joinable()) cam.peakPoller.join();
        YLOG(TRACE) << "Clearing peak array queue of " << i;
        ClearQueues(i);
        cam.connected = false;
        for (auto& cb : cam.lineCallbacks) cb = nullptr;
        for (auto& cb : cam.batchCallbacks) cb = nullptr;
        ReleaseLineProcessors(i);
    }
    return 0;
}
