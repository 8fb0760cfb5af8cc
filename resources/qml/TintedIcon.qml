import QtQuick

// An image resource drawn in one colour.
Image {
    id: icon

    // "qrc:/Flickbook/images/<name>.svg"
    property url resource
    property color tint: "black"
    property int size: 24

    width: size
    height: size
    sourceSize: Qt.size(size * 2, size * 2)
    fillMode: Image.PreserveAspectFit
    visible: resource.toString() !== "" && tint.a > 0
    source: resource.toString() === "" ? ""
        : "image://tinted/" + tint.toString().substring(1) + "/"
          + resource.toString().replace(/^qrc:\//, "")
}
