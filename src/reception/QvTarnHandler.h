// The product-family handler of QvTarn sensors: their settings template, window offsets and self test.
// Created once per process and kept in gQvTarnCamera.
#pragma once

#include "reception/CamProperties.h"

class CImageReception;

class QvTarnHandler {
public:
    QvTarnHandler();

    // The QvTarn settings template.
    void SetTwCamDefaultParams();
    // Copies the template into a camera record.
    void WriteTwCamSettings(CamProperties* record) const;
    // Centres the 2048 x 1400 window on the sensor's largest window; the result is not checked by callers.
    CameraStatus AdjustCameraOffsets(CImageReception& reception, CamProperties* record);
    // The test-pattern self test of a single connect.
    static CameraStatus SelfTestForGrabbing(CImageReception& reception, int index);

    const CamProperties& Template() const { return template_; }

private:
    CamProperties template_;
};
