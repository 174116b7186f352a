/* Wheel definitions, with CR LF line ends */
part def Wheel {
    attribute diameter : Real;
    part hub : Hub;
}
part def Hub;
// Axles carry two wheels.
connection def WheelAxle {
    end wheel1 : Wheel;
    end wheel2 : Wheel;
}
