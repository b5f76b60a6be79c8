pragma Singleton
import QtQuick

QtObject {
    readonly property color bg: "#0b1220"
    readonly property color panel: "#111a2e"
    readonly property color card: "#1a2540"
    readonly property color cardHover: "#223052"
    readonly property color line: "#2b3a5c"
    readonly property color text: "#e8edf7"
    readonly property color dim: "#93a1bd"
    readonly property color accent: "#3b82f6"
    readonly property color ok: "#22c55e"
    readonly property color warn: "#f59e0b"
    readonly property color danger: "#ef4444"
    readonly property string font: "DejaVu Sans"
}
