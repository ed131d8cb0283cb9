// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/x11/ClipboardPasteboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>
#include <QTimer>

#include <xcb/xcb.h>

#include <cstdlib>
#include <string_view>

namespace parlune {

ClipboardPasteboard::ClipboardPasteboard(QClipboard* clipboard, QClipboard::Mode mode, QObject* parent)
    : QObject(parent)
    , m_clipboard(clipboard)
    , m_mode(mode)
{
    // Another program taking the selection is the only change we do not count ourselves.
    connect(m_clipboard, &QClipboard::changed, this, [this](QClipboard::Mode mode) {
        if (mode == m_mode && !m_writing) {
            ++m_changeCount;
            m_owned = false;
        }
    });
}

bool ClipboardPasteboard::isHousekeepingType(const QString& type)
{
    // WORKAROUND: X11 / Qt: the list of formats of another program's clipboard includes the selection
    // protocol's own targets and Qt's internal image and colour types. Copying them back would make us
    // advertise conversions the original never offered.
    static const QStringList targets{QStringLiteral("TARGETS"),        QStringLiteral("MULTIPLE"),
                                     QStringLiteral("TIMESTAMP"),      QStringLiteral("SAVE_TARGETS"),
                                     QStringLiteral("DELETE"),         QStringLiteral("INSERT_SELECTION"),
                                     QStringLiteral("INSERT_PROPERTY")};
    return targets.contains(type) || type.startsWith(QLatin1String("application/x-qt-"));
}

PasteboardSnapshot ClipboardPasteboard::items()
{
    if (m_clearPending)
        return {};
    const QMimeData* mime = m_clipboard->mimeData(m_mode);
    if (!mime)
        return {};
    PasteboardItem item;
    const QStringList formats = mime->formats();
    for (const QString& format : formats) {
        if (isHousekeepingType(format))
            continue;
        // A type that could not be read gives a null array and is left out of the copy; an empty
        // value (a marker type) is content and is kept.
        const QByteArray bytes = mime->data(format);
        if (bytes.isNull())
            continue;
        item.data.emplace_back(format, QByteArray(bytes.constData(), bytes.size()));
    }
    if (item.data.empty())
        return {};
    return {std::move(item)};
}

int ClipboardPasteboard::changeCount()
{
    // WORKAROUND: X11 / Qt: Qt learns that another program took the clipboard from an event that it
    // handles in its own time; a copy made a few milliseconds ago may not have been heard of yet. The
    // server knows at once who owns the clipboard.
    if (m_owned && ownedOnServer() == false) {
        m_owned = false;
        ++m_changeCount;
    }
    return m_changeCount;
}

std::optional<bool> ClipboardPasteboard::ownedOnServer()
{
    auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    xcb_connection_t* connection = x11 ? x11->connection() : nullptr;
    if (!connection)
        return std::nullopt;
    if (!m_selectionAtom) {
        const std::string_view name = m_mode == QClipboard::Selection ? "PRIMARY" : "CLIPBOARD";
        xcb_intern_atom_reply_t* atom = xcb_intern_atom_reply(
            connection, xcb_intern_atom(connection, false, name.size(), name.data()), nullptr);
        m_selectionAtom = atom ? atom->atom : 0;
        std::free(atom);
        if (!m_selectionAtom)
            return std::nullopt;
    }
    xcb_get_selection_owner_reply_t* reply = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, m_selectionAtom), nullptr);
    if (!reply)
        return std::nullopt;
    const xcb_window_t owner = reply->owner;
    std::free(reply);
    // Qt's clipboard window was made on this connection: its id carries the connection's base.
    const xcb_setup_t* setup = xcb_get_setup(connection);
    return owner != XCB_NONE && (owner & ~setup->resource_id_mask) == setup->resource_id_base;
}

void ClipboardPasteboard::clearContents()
{
    ++m_changeCount;
    if (m_clearPending)
        return;
    // WORKAROUND: X11: a clipboard without owner, even for an instant, invites clipboard managers to
    // put their last entry back, which could then be pasted instead of the text. A write that follows
    // in the same turn of the event loop replaces the content in one step; only a clear on its own
    // gives up the clipboard.
    m_clearPending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_clearPending)
            return;
        m_clearPending = false;
        m_owned = false;
        if (m_mode == QClipboard::Selection ? !m_clipboard->ownsSelection() : !m_clipboard->ownsClipboard())
            return;
        m_writing = true;
        m_clipboard->clear(m_mode);
        m_writing = false;
    });
}

void ClipboardPasteboard::writeItems(const PasteboardSnapshot& items)
{
    // The X11 clipboard holds one item: the types of all items are offered together, the first item
    // that has a type providing it.
    auto* mime = new QMimeData;
    for (const PasteboardItem& item : items) {
        for (const auto& [type, bytes] : item.data) {
            if (!mime->hasFormat(type))
                mime->setData(type, bytes);
        }
    }
    m_clearPending = false;
    m_writing = true;
    m_clipboard->setMimeData(mime, m_mode);
    m_writing = false;
    m_owned = true;
    ++m_changeCount;
}

} // namespace parlune

#include "moc_ClipboardPasteboard.cpp"
