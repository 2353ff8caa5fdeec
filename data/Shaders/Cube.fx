<?xml version="1.0" encoding="UTF-8"?>
<Effect>
	<Parameter type="float4x4" name="View"/>
	<Parameter type="float4x4" name="Projection"/>
	<Parameter type="float4" name="atm" count="11"/>
	<Parameter type="float4" name="sun_vec" default="0 1 0 0"/>
	<Parameter type="float4" name="sun_color" default="1 1 1 100"/>
	<Parameter type="float4" name="sun_vectan" default="0 0 1 0"/>
	<Parameter type="textureCube" name="Environment"/>
	<Technique name="Technique0">
		<Pass vertex="Shaders/Cube.vert" fragment="Shaders/Cube.frag">
			<State name="CullMode" value="None"/>
			<State name="ZEnable" value="true"/>
			<State name="ZFunc" value="LessEqual"/>
			<State name="ZWriteEnable" value="false"/>
			<Sampler texture="Environment" min="Linear" mag="Linear" mip="Linear" u="Clamp" v="Clamp"/>
		</Pass>
	</Technique>
</Effect>
