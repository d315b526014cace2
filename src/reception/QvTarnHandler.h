// The product-family handler of QvTarn sensors: created once per process.
#pragma once

class QvTarnHandler {
public:
    QvTarnHandler() = default;
};
