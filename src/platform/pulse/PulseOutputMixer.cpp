// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/pulse/PulseOutputMixer.h"

#include <pulse/pulseaudio.h>

#include <string>

namespace parlune {

namespace {

constexpr std::chrono::milliseconds connectTimeout{2000};

struct SinkQuery
{
    PulseLink* link;
    std::optional<quint32> index;
    std::optional<bool> muted;
};

void onSinkInfo(pa_context*, const pa_sink_info* info, int eol, void* data)
{
    auto* query = static_cast<SinkQuery*>(data);
    if (eol == 0 && info) {
        query->index = info->index;
        query->muted = info->mute != 0;
    }
    if (eol != 0)
        query->link->signal();
}

} // namespace

PulseOutputMixer::PulseOutputMixer(PulseLink& link)
    : m_link(link)
{}

std::optional<quint32> PulseOutputMixer::defaultOutputDevice()
{
    PulseLink::Lock lock(m_link);
    if (!m_link.waitReady(connectTimeout))
        return std::nullopt;

    struct ServerQuery
    {
        PulseLink* link;
        std::string defaultSink;
    } server{&m_link, {}};
    const bool asked = m_link.await(pa_context_get_server_info(
        m_link.context(),
        [](pa_context*, const pa_server_info* info, void* data) {
            auto* query = static_cast<ServerQuery*>(data);
            if (info && info->default_sink_name)
                query->defaultSink = info->default_sink_name;
            query->link->signal();
        },
        &server));
    if (!asked || server.defaultSink.empty())
        return std::nullopt;

    SinkQuery sink{&m_link, {}, {}};
    m_link.await(
        pa_context_get_sink_info_by_name(m_link.context(), server.defaultSink.c_str(), onSinkInfo, &sink));
    return sink.index;
}

std::optional<bool> PulseOutputMixer::isMuted(quint32 device)
{
    PulseLink::Lock lock(m_link);
    if (!m_link.waitReady(connectTimeout))
        return std::nullopt;
    SinkQuery sink{&m_link, {}, {}};
    m_link.await(pa_context_get_sink_info_by_index(m_link.context(), device, onSinkInfo, &sink));
    return sink.muted;
}

bool PulseOutputMixer::setMuted(quint32 device, bool muted)
{
    PulseLink::Lock lock(m_link);
    if (!m_link.waitReady(connectTimeout))
        return false;
    struct Outcome
    {
        PulseLink* link;
        bool success = false;
    } outcome{&m_link};
    m_link.await(pa_context_set_sink_mute_by_index(
        m_link.context(), device, muted ? 1 : 0,
        [](pa_context*, int success, void* data) {
            auto* result = static_cast<Outcome*>(data);
            result->success = success != 0;
            result->link->signal();
        },
        &outcome));
    return outcome.success;
}

} // namespace parlune
