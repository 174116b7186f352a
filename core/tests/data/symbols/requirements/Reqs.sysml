requirement def <R1> MassLimit {
    doc /* The mass shall be below the limit. */
    subject vehicle : Vehicle;
    require constraint { vehicle.mass <= 2000 }
}
package 'Safety Requirements' {
    requirement 'brake check';
}
requirement 'mass check' : MassLimit;
satisfy MassLimit by Vehicles::Car;
private package Système { }
