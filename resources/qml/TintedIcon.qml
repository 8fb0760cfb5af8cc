import QtQuick
import Flickbook.Screens

// An image resource drawn in one colour.
Image {
    id: icon

    // "qrc:/Flickbook/images/<name>.svg"
    property url resource
    property color tint: Theme.label
    property int size: 24

    width: size
    height: size
    sourceSize { width: size * 2; height: size * 2 }
    fillMode: Image.PreserveAspectFit
    visible: String(resource) !== "" && tint.a > 0
    source: String(resource) === "" ? ""
        : "image://tinted/" + String(tint).substring(1) + "/"
          + String(resource).replace(/^qrc:\//, "")
}
