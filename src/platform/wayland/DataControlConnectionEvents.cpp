// SPDX-License-Identifier: GPL-3.0-or-later
// What the compositor tells of the seat and its clipboard: the offers, the selection, their ends.
#include "platform/wayland/DataControlConnection.h"

#include "platform/Log.h"

#include "wlr-data-control-unstable-v1-client-protocol.h"
#include <wayland-client.h>

#include <cstring>

namespace parlune {

void DataControlConnection::forgetSelection()
{
    if (m_selection.proxy)
        zwlr_data_control_offer_v1_destroy(m_selection.proxy);
    m_selection = {};
}

void DataControlConnection::global(void* data, wl_registry* registry, uint32_t name, const char* interface,
                                   uint32_t)
{
    auto* self = static_cast<DataControlConnection*>(data);
    // The first seat is the user's keyboard and pointer; version 1 of each interface is all we use.
    if (std::strcmp(interface, wl_seat_interface.name) == 0 && !self->m_seat)
        self->m_seat = static_cast<wl_seat*>(wl_registry_bind(registry, name, &wl_seat_interface, 1));
    else if (std::strcmp(interface, zwlr_data_control_manager_v1_interface.name) == 0 && !self->m_manager)
        self->m_manager = static_cast<zwlr_data_control_manager_v1*>(
            wl_registry_bind(registry, name, &zwlr_data_control_manager_v1_interface, 1));
}

void DataControlConnection::globalRemove(void*, wl_registry*, uint32_t)
{
    // A seat that goes away finishes its device, which is handled there.
}

void DataControlConnection::dataOffer(void* data, zwlr_data_control_device_v1*,
                                      zwlr_data_control_offer_v1* offer)
{
    static const zwlr_data_control_offer_v1_listener offerListener{&DataControlConnection::offerType};
    auto* self = static_cast<DataControlConnection*>(data);
    zwlr_data_control_offer_v1_add_listener(offer, &offerListener, self);
    self->m_announced.push_back({offer, {}});
}

void DataControlConnection::offerType(void* data, zwlr_data_control_offer_v1* offer, const char* type)
{
    auto* self = static_cast<DataControlConnection*>(data);
    for (Offer& announced : self->m_announced) {
        if (announced.proxy == offer)
            announced.types.push_back(QString::fromUtf8(type));
    }
}

void DataControlConnection::selection(void* data, zwlr_data_control_device_v1*,
                                      zwlr_data_control_offer_v1* offer)
{
    auto* self = static_cast<DataControlConnection*>(data);
    Offer next;
    for (Offer& announced : self->m_announced) {
        if (announced.proxy == offer)
            next = std::move(announced);
        else
            zwlr_data_control_offer_v1_destroy(announced.proxy);
    }
    self->m_announced.clear();
    self->forgetSelection();
    self->m_selection = std::move(next);

    if (!self->m_started)
        return;
    // While the content is ours, the news is of our own change, or of one that ours replaced: another
    // program taking the clipboard from us cancels our source, and that is counted there.
    if (self->m_source)
        return;
    if (!offer && self->m_clearEchoes > 0) {
        --self->m_clearEchoes;
        return;
    }
    ++self->m_foreignChanges;
}

void DataControlConnection::finished(void* data, zwlr_data_control_device_v1* device)
{
    auto* self = static_cast<DataControlConnection*>(data);
    zwlr_data_control_device_v1_destroy(device);
    self->m_device = nullptr;
    logLine("Parlune: the seat's clipboard went away");
}

void DataControlConnection::primarySelection(void*, zwlr_data_control_device_v1*,
                                             zwlr_data_control_offer_v1* offer)
{
    // Bound at the first version, the device never reports the primary selection; should it, the offer
    // is of no use.
    if (offer)
        zwlr_data_control_offer_v1_destroy(offer);
}

void DataControlConnection::cancelled(void* data, zwlr_data_control_source_v1* source)
{
    auto* self = static_cast<DataControlConnection*>(data);
    if (source == self->m_source) {
        self->m_source = nullptr;
        self->m_sourceTypes.clear();
        ++self->m_foreignChanges;
    }
    zwlr_data_control_source_v1_destroy(source);
}

} // namespace parlune
