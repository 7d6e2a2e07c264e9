#pragma once

#include "framework/data/dataset.h"

// An in-memory data set whose whole content arrives as a data packet (from
// the application server) and can be given back as one.
class TClientDataSet : public TDataSet
{
    Q_OBJECT
public:
    explicit TClientDataSet(QObject* parent = nullptr);

    // Replaces the whole content. The packet is checked against the data
    // fields first (each must be present with its type; extra columns are
    // ignored): a mismatch throws EKrtError and leaves the set untouched.
    // Then the set closes (BeforeClose/AfterClose when open), opens on the new
    // content (BeforeOpen/AfterOpen), stands on the first record and runs
    // AfterScroll when there is one. A set without fields takes the packet's.
    void setData(const krt::Packet& packet);
    void Data(const krt::Packet& packet) { setData(packet); }

    // The whole content with the data fields' definitions; a closed set gives
    // an empty packet with the definitions.
    krt::Packet Data() const;

protected:
    // Open() without a packet opens an empty set.
    krt::Packet fetchContent() override;
};
