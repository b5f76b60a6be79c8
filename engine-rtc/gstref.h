#pragma once
#include <gst/gst.h>
#include <utility>

namespace qtwebrtc::rtc {

// Owns one reference of a GStreamer object (or a mini object with its own unref).
template <typename T, void (*Unref)(T *)> class GstRef
{
public:
    GstRef() = default;
    explicit GstRef(T *adopted) : m_ptr(adopted) {}
    ~GstRef() { reset(); }
    GstRef(const GstRef &) = delete;
    GstRef &operator=(const GstRef &) = delete;
    GstRef(GstRef &&other) noexcept : m_ptr(std::exchange(other.m_ptr, nullptr)) {}
    GstRef &operator=(GstRef &&other) noexcept
    {
        if (this != &other) {
            reset();
            m_ptr = std::exchange(other.m_ptr, nullptr);
        }
        return *this;
    }

    T *get() const { return m_ptr; }
    explicit operator bool() const { return m_ptr != nullptr; }
    void reset(T *adopted = nullptr)
    {
        if (m_ptr)
            Unref(m_ptr);
        m_ptr = adopted;
    }

private:
    T *m_ptr = nullptr;
};

inline void unrefObject(GstElement *e)
{
    gst_object_unref(e);
}
inline void unrefPad(GstPad *p)
{
    gst_object_unref(p);
}
inline void unrefBus(GstBus *b)
{
    gst_object_unref(b);
}

using ElementRef = GstRef<GstElement, unrefObject>;
using PadRef = GstRef<GstPad, unrefPad>;
using BusRef = GstRef<GstBus, unrefBus>;
using CapsRef = GstRef<GstCaps, gst_caps_unref>;
using SampleRef = GstRef<GstSample, gst_sample_unref>;
using StructureRef = GstRef<GstStructure, gst_structure_free>;
using PromiseRef = GstRef<GstPromise, gst_promise_unref>;

} // namespace qtwebrtc::rtc
