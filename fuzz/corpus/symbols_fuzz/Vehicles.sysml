// Vehicles: the top package of the model.
/* The vehicle library, with
   its nested packages. */
package Vehicles {
    doc /* Vehicles and their parts. */
    private import ScalarValues::*;
    package Inner {
        part def Hidden;
        package Deeper { part def AlsoHidden; }
    }
    part def Car :> Base::Vehicle {
        attribute mass : Real = 1200.0;
    }
    alias Auto for Car;
}
public import Vehicles::*;
alias VehicleTypes for Vehicles::Inner;
