// SPDX-License-Identifier: GPL-3.0-or-later
import QtQuick

// A value that follows `target` like a damped spring: `response` is the period of the undamped
// oscillation in seconds, `dampingFraction` 1 for no overshoot. A change of target mid-flight starts
// a new spring from where the value is.
Item {
    id: spring

    property real target: 0
    property real value: target
    property real response: 0.15
    property real dampingFraction: 0.85
    // Off: the value jumps to its target.
    property bool enabled: true

    property real _from: target
    property real _elapsed: 0
    visible: false

    // Position at time t (seconds) of a unit step answered by the spring, from 0 towards 1.
    function step(t) {
        const omega = 2 * Math.PI / response
        const zeta = dampingFraction
        if (zeta >= 1)
            return 1 - Math.exp(-omega * t) * (1 + omega * t)
        const omegaD = omega * Math.sqrt(1 - zeta * zeta)
        return 1 - Math.exp(-zeta * omega * t) * (Math.cos(omegaD * t) + zeta * omega / omegaD * Math.sin(omegaD * t))
    }

    on_ElapsedChanged: value = _from + (target - _from) * step(_elapsed)
    onTargetChanged: {
        if (!enabled) {
            animation.stop()
            value = target
            return
        }
        _from = value
        animation.restart()
    }

    NumberAnimation {
        id: animation
        target: spring
        property: "_elapsed"
        from: 0
        // Settled well within this: the envelope is below 0.1 % after 0.2 s.
        to: 4 * spring.response
        duration: 4000 * spring.response
        easing.type: Easing.Linear
        onFinished: spring.value = spring.target
    }
}
