import QtQuick
import QtMultimedia
import Flickbook.Platform

// Shows a player layer's picture: the layer's player draws into this output,
// fitted as the layer's gravity says (the whole picture, letterboxed, unless
// the layer asks to fill or stretch).
VideoOutput {
    id: output

    required property PlayerLayer playerLayer

    fillMode: !playerLayer ? VideoOutput.PreserveAspectFit
            : playerLayer.videoGravity === PlayerLayer.ResizeAspectFill ? VideoOutput.PreserveAspectCrop
            : playerLayer.videoGravity === PlayerLayer.Resize ? VideoOutput.Stretch
            : VideoOutput.PreserveAspectFit

    Binding {
        when: output.playerLayer !== null && output.playerLayer.player !== null
        target: output.playerLayer ? output.playerLayer.player : null
        property: "videoOutput"
        value: output
        restoreMode: Binding.RestoreNone
    }
}
